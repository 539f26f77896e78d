// The file-list page's work: list the manifest's files with their icons (on the page's thread),
// then fetch every file not yet recorded for this manifest version, store it below update\ and
// record it (on the worker thread).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "manifest/manifest.h"
#include "net/http_fetcher.h"
#include "program/program_context.h"
#include "steps/page_view.h"

namespace updater {

// "正在下载 %s ...", "下载 %s 完毕", "下载 %s  失败" with the list entry.
std::string DownloadStartedText(const std::string& entry);
std::string DownloadDoneText(const std::string& entry);
std::string DownloadFailedText(const std::string& entry);

// One row of the file list: inserted at `index` (the entry's position in the manifest, from 0;
// an index past the end appends), with the entry as text and its type's icon.
struct FileListRow {
  int32_t index;
  std::string text;
  int32_t image;
};

// The rows for the manifest's list entries longer than 4 bytes, in manifest order.
// `iconIndexFor` gives the image position for an extension (IconIndexFor of the list view).
std::vector<FileListRow> FileListRows(
    platform::IniFiles& profiles, const UpdateFiles& files,
    const std::function<int32_t(const std::string&)>& iconIndexFor);

// Creates the folders of an entry's folder part (books\new\a.txt: books, then books\new)
// below `updateFolder` (given with its trailing backslash), one level at a time; folders that
// exist are kept. Creates nothing for an entry that IsSafeManifestEntry refuses, so no folder
// is ever made outside the update folder. False when a folder could not be created (logged
// with the platform's error).
bool CreateEntryFolders(platform::FileSystem& files, const std::string& updateFolder,
                        std::string_view entry, RunLog& log);
// The same, with the line it would log in `failure` instead.
bool CreateEntryFolders(platform::FileSystem& files, const std::string& updateFolder,
                        std::string_view entry, std::string& failure);

// Whether a temporary file (by its path below update\) holds part of a file that the stored
// manifest lists, or that part's validator: what a later fetch of it continues.
std::function<bool(const std::string&)> ContinuedPartials(platform::IniFiles& profiles,
                                                          const UpdateFiles& update);

// How many files the file-list page fetches at once, each through an internet session of its
// own: on a link with long round trips the waits overlap. WinInet lets that many connections
// to one server run together (platform::kConnectionsPerServer).
inline constexpr std::size_t kFetchesInFlight = platform::kConnectionsPerServer;
// How many entries may be on their way at once: fetching, or fetched and waiting for the ones
// before them. Each holds an open temporary file; the read buffers are one per fetch in flight.
inline constexpr std::size_t kEntriesAhead = 2 * kFetchesInFlight;

// The worker's whole run over the entries the page lists, in order. The program's trust rules
// decide which fetched files may be stored (none: every file). The record is read once; an entry
// already recorded for the manifest's version is skipped. An entry that IsSafeManifestEntry refuses
// fails without a request. A fetched file that a signed manifest does not promise byte for byte
// fails like a failed fetch; any other gets its folders below update\, is stored whole (temporary
// name, flushed to the disk, renamed) and only then recorded in updateok.ini; one that cannot be
// stored fails like a failed fetch. Every entry is tried; any failure, or no entries, ends in
// Failed with the last message kept; otherwise Succeeded and the page is asked to end itself. The
// loop stops as soon as the page has ended or its cancel button was pressed; a file that had
// arrived whole is still stored and recorded (the page does not wait for it), and a kept part is
// left for the next run. Requests, stored and refused files are logged. Up to kFetchesInFlight
// entries are fetched at once (never two naming the same file: the record decides for the later one
// once the earlier is through); each is checked, stored and recorded on an OrderedLane as soon as
// its fetch and every entry before it are through. The page's texts, its progress (only the
// earliest unfinished entry reports) and the log lines keep the order of the entries. The page's
// cancel ends every fetch. A transfer that receives nothing for `stallLimit` fails, logged as
// "stalled".
void FileDownloadWorker(const ProgramContext& program, const std::vector<std::string>& entries,
                        PageView& page, std::chrono::milliseconds stallLimit = kStallLimit);

}  // namespace updater
