// The report model's entry point: registers the model's enumerations (the
// registry's start-up types, in order) and publishes its classes'
// properties and the describing classes of the scripting layer (the class
// library's, the communicator's, the relative's and the cacheable's); it
// fills the component registration slots first and lists the settings
// store classes. The
// programs and test mains call it (the output layer's entry point calls it
// first); a second call does nothing.
#pragma once

void ppRegisterModel();
