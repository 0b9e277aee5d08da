#pragma once

// How often the main window polls a running job. The engine's progress
// moves continuously; a fifth of a second keeps the dialog lively at no
// measurable cost, and the end of a job is reported at the first poll after
// it.
inline constexpr int kProgressTickMs = 200;
