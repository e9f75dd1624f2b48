#pragma once
// Writes synthetic MPEG-4 files and definition texts for benchmarks and
// tests: a movie header with two tracks, then as many movie fragments as
// needed, with the nesting real fragmented files have.

#include <stdint.h>
#include <string>
#include <vector>

// A file of exactly atomCount atoms as the walk counts them (at least 40:
// ftyp, the moov tree; fragments of 11 atoms each; free atoms to make up
// the rest). Leaf payloads start like full boxes, so they have no children.
std::vector<unsigned char> GenerateAtomFile(uint32_t atomCount);

// A definition text of sectionCount sections (at least 30): the box types
// of GenerateAtomFile's files spread among invented ones, each with a
// header line and two or three body lines, sections apart by empty lines.
std::string GenerateDefinitionText(uint32_t sectionCount);

// Writes bytes to path; returns false on failure.
bool WriteGeneratedFile(const std::string &path, const void *bytes, size_t size);
