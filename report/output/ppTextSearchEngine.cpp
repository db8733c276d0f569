#include "report/output/ppTextSearch.h"

// The engines come with the screen device they search with.
void ppRegisterTextSearchEngines() {}
