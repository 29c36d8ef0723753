#include "receiver/DabCharset.h"
