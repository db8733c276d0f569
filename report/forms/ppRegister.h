// The forms layer's entry point: registers the layer below, then the
// dialog form classes (cancel, no-data, template and template error
// dialogs) under their abstract classes and publishes their properties.
// The programs and test mains call it; a second call does nothing.
#pragma once

void ppRegisterForms();
