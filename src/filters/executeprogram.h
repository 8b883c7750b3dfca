#pragma once

#include "classlib/streams.h"
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
// The two files are used by the names the user gave them: a relative name
// means the application's current folder, where the program starts too, so
// a program that reads and writes fixed names finds its files there. They
// are left in place and reused for every input; a result file is removed
// before each run (unless it is the data file or the input), so a program
// that writes none never passes on an older one. In a job neither may be one
// of the job's input files, which the data of another input or a result
// would replace: such an input is refused before anything is written. The
// command line is split into words as a shell would split it, and no shell
// runs it.
//
// Two jobs, or two programs, running a list with the same two files would
// each write its data between the other's data and result, and pass on the
// other's result as its own: one input's exchange (its data written, the
// program run, its result read) holds the data file for itself (an advisory
// lock), and another waits for it, its job's cancel request still heard.
//
// The wait for the program looks at the job's cancel request between short
// steps; a cancelled job ends the program (its whole process group) and
// passes nothing on. Without a job the user interface handles its messages
// between the steps.
class TExecuteProgram : public TFilter {
public:
  TExecuteProgram(std::string resultFileName, std::string dataFileName, std::string commandLine);
  ~TExecuteProgram() override;

  void setInputFilename(const std::string &name) override;
  // Creates (or empties) the data file once it holds it; raises
  // EFCreateError when it cannot (or it is no regular file), and
  // EStreamError when it or the result file is an input of the job.
  void startFile() override;
  // Writes the chunk to the data file; a failed write raises EStreamError.
  bool processChunk(std::string &chunk) override;
  // Runs the program and passes its result on. A program that cannot be
  // started logs message 5220 and, in a job, asks the job to end; a missing
  // result file raises EFOpenError, and a program ended by a signal
  // EStreamError. A program that ends with a status other than 0 is named
  // in a warning, its result passed on.
  void endFile() override;
  // Closes the data file.
  void abandonFile() override;

private:
  // Opens the data file (without emptying it) and waits until no other
  // exchange holds it; false when the job was stopped meanwhile.
  bool holdDataFile();
  void releaseDataFile();
  // Raises EStreamError when the data or the result file is one of the
  // job's inputs.
  void refuseJobInputs();

  std::string resultFileName_;
  std::string dataFileName_;
  std::string commandLine_;
  std::string inputName_;             // the file being read
  std::unique_ptr<TFileStream> data_; // from the start to the end of an input
  int dataHold_ = -1;                 // the data file, held from its writing to the result's end
};

} // namespace marrowen
