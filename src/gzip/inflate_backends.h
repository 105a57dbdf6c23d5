// The back ends' factories, for inflate_backends.cpp alone.
#pragma once

#include <memory>

#include "gzip/inflater.h"

int NewZlibInflater(std::unique_ptr<Inflater>* made);
// Only in builds with ISA-L.
int NewIsalInflater(std::unique_ptr<Inflater>* made);
