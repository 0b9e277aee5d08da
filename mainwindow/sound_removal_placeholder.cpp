// The start button's command lives with the job code. This file is built
// only while the program has no job code, so the button does nothing.

#include "tarnwick_dlg.h"

void CTarnwickDlg::OnSoundRemoval() {}
