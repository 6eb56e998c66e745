#pragma once
// The launcher tells job files apart as the drive search does: one kind, defined once.
#include "core/drives/JobFileKind.h"
