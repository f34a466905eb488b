#pragma once

#include <memory>

#include "output/renderer.h"

// One renderer per format, each in a file of its own.
namespace scrivel {

std::unique_ptr<Renderer> make_rtf_renderer(Writer& out, Normalization normalization);
std::unique_ptr<Renderer> make_html_renderer(Writer& out, Normalization normalization, DocumentSource source);
std::unique_ptr<Renderer> make_text_renderer(Writer& out, Normalization normalization);
std::unique_ptr<Renderer> make_tsv_renderer(Writer& out, Normalization normalization, DocumentSource source);
// `source.edition` is required.
std::unique_ptr<Renderer> make_tei_renderer(Writer& out, Normalization normalization, DocumentSource source);

}  // namespace scrivel
