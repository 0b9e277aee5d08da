#pragma once

// Each suite runs its Qt Test object with the given arguments.
int RunControlButtonTests(int argc, char** argv);
int RunPicturesTests(int argc, char** argv);
int RunCheckListTests(int argc, char** argv);
int RunLabelTests(int argc, char** argv);
int RunHyperLinkTests(int argc, char** argv);
