#include "AudioFileRead.h"
