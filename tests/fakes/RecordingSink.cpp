#include "RecordingSink.h"
