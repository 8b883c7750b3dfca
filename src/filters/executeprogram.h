#pragma once

#include "engine/filter.h"

#include <memory>
#include <string>

namespace marrowen {

// Hands each input's data to an external program through files: everything
// it receives for the file goes into the data file; at the end of the file
// the command line runs, and what the program wrote into the result file is
// passed on as the filter's output. The program's standard output is not
// captured.
//
// The two files live in a folder of their own, made afresh for every input
// in the system's temporary folder and removed with all it holds when the
// input ends, on every path: jobs side by side never share them, and nobody
// else can place or read anything there. Their configured names are placed
// in that folder (a folder part of a relative name is kept, an absolute name
// gives its last part), and a word of the command line that is one of the
// configured names, or ends in "=" and the name, is replaced by the file's
// full path: that is how the program finds them. The program itself starts
// in the application's current folder, so a relative name of the program or
// of its own files means what it means to the user who started us. The
// command line is split into words as a shell would split it, and no shell
// runs it.
//
// The wait for the program looks at the job's cancel request between short
// steps; a cancelled job ends the program (its whole process group) and
// passes nothing on. Without a job the user interface handles its messages
// between the steps.
class TExecuteProgram : public TFilter {
public:
  TExecuteProgram(std::string resultFileName, std::string dataFileName, std::string commandLine);
  ~TExecuteProgram() override;

  // Makes the folder and creates the data file; raises EFCreateError when
  // it cannot.
  void startFile() override;
  // Writes the chunk to the data file; a failed write raises EStreamError.
  bool processChunk(std::string &chunk) override;
  // Runs the program and passes its result on. A program that cannot be
  // started logs message 5220 and, in a job, asks the job to end; a missing
  // result file raises EFOpenError.
  void endFile() override;
  // Removes the input's folder at once.
  void abandonFile() override;

private:
  struct Run;

  std::string resultFileName_;
  std::string dataFileName_;
  std::string commandLine_;
  std::unique_ptr<Run> run_; // from the start to the end of an input
};

} // namespace marrowen
