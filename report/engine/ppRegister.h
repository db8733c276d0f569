// The engine layer's registration: its classes and published properties.
// Programs and test mains that link the engine call it once at start-up
// (it registers the output layer first); calling it again does nothing.
#pragma once

void ppRegisterEngine();
