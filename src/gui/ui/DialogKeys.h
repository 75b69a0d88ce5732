#pragma once

class QAbstractButton;
class QWidget;

// The keys every skinned dialog answers as a standard dialog does: Enter presses the default button
// (unless another button has the focus: then Enter presses that one), Escape presses Back, and the two
// buttons close the Tab chain, after the fields, in the order they sit.
namespace DialogKeys {
void install(QWidget* dialog, QAbstractButton* defaultButton, QAbstractButton* backButton);
} // namespace DialogKeys
