#include "app/converter_state.h"

ConverterState converter_state = {};
