// version_info.cpp - the file version query.
#include "VekMain.h"

bool VekMain_GetVersionInfo(char* fileName, long version[4]) { return false; }
