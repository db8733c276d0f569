// The components layer's registration: the engine layer's first, then the
// component classes (the palette table below, through the registration
// slots, which also makes them known for streaming) and their published
// properties.
#pragma once
#include <span>

#include "platform/classes/classes.h"

void ppRegisterComponents();

// One palette entry of a report component class.
struct TppComponentClassRow {
  const char* Page;
  int Position;
  cls::TClassInfo& (*Class)();
  int DescriptionMessage;
};
// The palette table, page by page in position order.
std::span<const TppComponentClassRow> ppComponentClassRows();
