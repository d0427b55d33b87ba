#include "skin/GfxImage.h"

TPaintStageEntry& TPaintStages::Add() {
  return FItems.emplace_back();
}
