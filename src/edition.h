#pragma once

#include <optional>

#include "catalogue.h"
#include "output/edition.h"

namespace scrivel {

// What the TEI edition of a work says beyond its text, from the names the
// tables give it and the caller's choices.
Edition edition_of(int author, int work, const WorkNames& names, const TeiChoices& choices);

}  // namespace scrivel
