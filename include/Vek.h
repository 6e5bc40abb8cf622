// Vek.h - the whole VekMain interface in one include.
#pragma once

#include "VekTypes.h"
#include "VekMain.h"
#include "VekMemory.h"
#include "VekMainMemory.h"
#include "VekTool.h"
#include "VekFace.h"
#include "VekAttribute.h"
#include "VekSurface.h"
#include "VekBezierSurface.h"
#include "VekMap.h"
#include "VekLight.h"
#include "VekIntersection.h"
#include "VekDisplay.h"
