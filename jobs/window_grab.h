#pragma once

class QWidget;
class QString;

// Saves a picture of `widget` as <folder>/<name>.png when the environment
// variable VELMORA_GRAB_DIR names a folder; does nothing otherwise. The
// end-to-end script uses it to look at the progress dialog and the finished
// list of the real program.
void GrabForReview(QWidget* widget, const QString& name);
