// A shared library with resources of its own, loaded by the resource tests.
extern "C" int zolmet_test_reslib_marker() { return 42; }
