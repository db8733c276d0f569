// The output layer's registration: its classes and published properties.
// Programs and test mains that link the output layer call it once at
// start-up; calling it again does nothing.
#pragma once

void ppRegisterOutput();
