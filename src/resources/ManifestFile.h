// Local manifest files on disk: "version.txt" and "launcher_manifest.txt".
#pragma once

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
// the same bytes already is not written.
bool WriteManifestFile(const std::wstring& path, const std::wstring& text);
// The same for text already encoded as UTF-8.
bool WriteManifestBytes(const std::wstring& path, const std::string& bytes);
