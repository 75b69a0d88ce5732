#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <optional>

// A button painted in the skin: the area itself is transparent and shows a picture of its own only while
// it is lit (a pointer move over it), pressed, or given a resting look (the drop buttons' arrows, the
// start button while it is the Stop button). It is a real button to the rest of Qt: it reports the
// button role, its caption as name and its tooltip as description to the accessibility interface, and
// emits clicked() as any button does. Tab reaches it (a click does not take the focus from the list or a
// field); Space and Enter press it, and while it has the focus it wears the skin's focus ring.
class HotArea : public QAbstractButton
{
    Q_OBJECT
public:
    explicit HotArea(QWidget* parent = nullptr);
    // A named area at a rectangle of its window, with its tooltip (none when empty).
    static HotArea* create(QWidget* parent, const char* name, const QRect& rect, const QString& tip = QString());
    // What a screen reader calls it (its caption: the painted face shows it as a picture, not as text).
    void setCaption(const QString& caption);
    // Out of the Tab chain: the areas below the visible face, and the drop buttons whose selector is in it.
    void keepOutOfTabChain() { setFocusPolicy(Qt::NoFocus); }

    // The pictures it shows: lit under the pointer; while pressed (none: keeps what it shows; an empty
    // picture: shows nothing); at rest.
    void setLooks(const QPixmap& lit, std::optional<QPixmap> pressed = std::nullopt);
    void setRestingLook(const QPixmap& resting);
    const QPixmap& litLook() const { return m_lit; }
    const std::optional<QPixmap>& pressedLook() const { return m_pressed; }
    const QPixmap& restingLook() const { return m_resting; }
    // What it shows now (null when nothing).
    const QPixmap& look() const { return m_shown; }

    // Areas of one group light one at a time: lighting one clears the others (the toolbar, the menu bar).
    void setGroup(const char* group) { m_group = group; }

    void showLit();
    void clearLook();
    // Every area of a window back to its resting look, as a pointer move over the bare background asks.
    static void ClearAll(QWidget* window);

    // A disabled area veils the painted button under it, so a locked command looks locked.
    void setDimWhenDisabled(bool dim) { m_dim = dim; }

signals:
    void mouseMoved();

protected:
    bool event(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void show(const QPixmap& look);
    void clearGroup();

    QPixmap m_lit;
    std::optional<QPixmap> m_pressed;
    QPixmap m_resting;
    QPixmap m_shown;
    const char* m_group = nullptr;
    bool m_dim = false;
};
