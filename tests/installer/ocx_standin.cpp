// Stands in for the browser control in the installer tests: a shared
// library with the control's version block.
extern "C" int zolmet_test_ocx_marker() { return 27; }
