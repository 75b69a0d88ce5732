#pragma once

class frmMain;

// The main window's controls: each at its place on the skin with its items, defaults, tooltips and
// looks, and wired to the window's handlers. The window itself keeps only what its controls do.
namespace MainControls {

// The hover and pressed pictures, held in the window for the whole run.
void CreateLooks(frmMain& w);
void Create(frmMain& w);
// Fonts in code (so the geometry pass can scale them) and colours in a style sheet.
void ApplyStyle(frmMain& w);

} // namespace MainControls
