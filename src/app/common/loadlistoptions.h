#pragma once

namespace marrowen {

// How a filter file is opened into a filter-list window.
struct LoadListOptions {
  // Its filters go in after the selected node instead of replacing the list.
  bool inserting = false;
  // Replacing a changed list (taking the file's options), offers to save it
  // first and to keep its files.
  bool askQuestions = false;
  // Takes the file's texts and log options along with its nodes.
  bool takeOptions = true;
};

} // namespace marrowen
