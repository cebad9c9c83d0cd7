// Local manifest files on disk: "version.txt" and "launcher_manifest.txt".
#pragma once

#include <functional>
#include <string>

#include "resources/ResoureConfigInfo.h"
#include "resources/LocalManifestMap.h"

// Reads a UTF-8 manifest (a leading byte-order mark is skipped, the text ends at a zero byte)
// and appends its records to list. False, list unchanged, when the file cannot be read.
bool ReadManifestFile(const std::wstring& path, ResoureConfigList* list);
// The same into a map (ParseManifestUtf8).
bool ReadManifestFile(const std::wstring& path, LocalManifestMap* map,
                      bool (*accept)(const std::wstring& name));

// Writes text as UTF-8 without byte-order mark so that path holds either its previous content
// or the whole new text, never a part: the text goes to path + ".new" first, is flushed, and
// then replaces path. The containing directory is created when missing. A file that holds
// the same bytes already is not written; an empty text where no file is creates none.
bool WriteManifestFile(const std::wstring& path, const std::wstring& text);
// The same for text already encoded as UTF-8.
bool WriteManifestBytes(const std::wstring& path, const std::string& bytes);

// Puts the next slice of a text into bytes (empty when called); true when it was the last.
using NextManifestSlice = std::function<bool(std::string* bytes)>;
// Writes the text next gives a slice at a time, as WriteManifestBytes writes it whole, holding
// no more than a slice: path holds its previous content or the whole new text. Each slice is
// compared with the file's bytes at its place as it comes; the file is not written while they
// are equal, and at the first difference the new file starts with the equal part copied from
// the old one. An empty text where no file is creates none.
bool WriteManifestSlices(const std::wstring& path, const NextManifestSlice& next);
