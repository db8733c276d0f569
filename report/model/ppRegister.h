// The report model's entry point: registers the model's enumerations (the
// registry's start-up types, in order) and publishes its classes'
// properties. The programs and test mains call it (the output layer's
// entry point calls it first); a second call does nothing.
#pragma once

void ppRegisterModel();
