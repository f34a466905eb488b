#pragma once

#include <string>
#include <string_view>

namespace scrivel {

// A name or a title of the corpus's tables, Beta Code that starts in Latin
// type, as plain text in Unicode NFC: `&1Theocritus& Bucol.` is
// "Theocritus Bucol.", `$*)ILIA/S` is "Ἰλιάς". A byte above 0x7F, which no
// Beta Code text holds, reads as "?".
std::string plain_text_of_name(std::string_view beta_code);

// Beta Code that starts in Greek, as a work's text does (a word of a search
// query), as plain text in NFC in the same way: `*)ILIA/S` is "Ἰλιάς",
// `LO/GOS` is "λόγος".
std::string plain_text_of_greek(std::string_view beta_code);

}  // namespace scrivel
