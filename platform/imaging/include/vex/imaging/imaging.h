// The imaging component: bitmaps, BMP loading, depth conversion, file
// writers for BMP, GIF, TIFF, JPEG, PNG, WMF and EMF, and the status codes
// with their texts.
#pragma once

#include "vex/imaging/bitmap.h"
#include "vex/imaging/bmp.h"
#include "vex/imaging/convert.h"
#include "vex/imaging/metafile.h"
#include "vex/imaging/save.h"
#include "vex/imaging/status.h"
