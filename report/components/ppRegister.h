// The components layer's registration: the engine layer's first, then the
// component classes for streaming and their published properties.
#pragma once

void ppRegisterComponents();
