#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <spawn.h>

namespace marrowen {

// The file actions and attributes of one posix_spawn, released with it.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  ~SpawnSetup() {
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
  }
  SpawnSetup(const SpawnSetup &) = delete;
  SpawnSetup &operator=(const SpawnSetup &) = delete;
};

// Show commands as callers pass them; the desktop decides how a started
// program's window appears, so they are accepted and otherwise unused.
inline constexpr int swHide = 0;
inline constexpr int swShowNormal = 1;
inline constexpr int swShow = 5;

// Result codes of shellExecute: above 32 on success, otherwise one of the
// codes that shellErrorText explains.
inline constexpr int shellSuccess = 42;
inline constexpr int seErrFileNotFound = 2;
inline constexpr int seErrPathNotFound = 3;
inline constexpr int seErrAccessDenied = 5;
inline constexpr int seErrOutOfMemory = 8;
inline constexpr int seErrBadFormat = 11;
inline constexpr int seErrShare = 26;
inline constexpr int seErrAssocIncomplete = 27;
inline constexpr int seErrNoAssoc = 31;

// Opens `file` the way the desktop would. A program (an executable file, or a
// name found on PATH) is started directly with `parameters` split as the
// shell splits words; a document, folder or URL is handed to the document
// opener (xdg-open). `folder`, when given, is the working folder and the base
// of a relative `file`. The texts are passed whole. The result is also kept
// as the last shell result for shellErrorText.
int shellExecute(std::string_view file, std::string_view parameters, std::string_view folder,
                 int showCommand);
// shellExecute, true when the result is above 32.
bool execFile(std::string_view file, std::string_view parameters, std::string_view folder,
              int showCommand);
// Opens a document with its associated program.
bool shellOpen(std::string_view file);
// Starts `argv` (its program found on PATH unless it holds a "/") without
// waiting for it, each argument passed as its bytes; false when it cannot
// start.
bool startProgram(const std::vector<std::string> &argv);
// Replaces `text` with the explanation of the last shell result when there is
// one; leaves it as it is otherwise.
void shellErrorText(std::string &text);
int lastShellResult();

// Splits a parameter text into words as a POSIX shell does, without any
// expansion: blanks separate words; single quotes keep everything up to the
// next single quote; double quotes keep everything but a backslash before
// " \ $ or `; a backslash outside quotes keeps the next character. An
// unterminated quote runs to the end of the text.
std::vector<std::string> splitShellWords(std::string_view text);

// The program that opens documents, folders and URLs ("xdg-open"); tests put
// a script of their own in its place.
void setDocumentOpener(std::string program);

} // namespace marrowen
