#pragma once
// Where the automatic start of a program run stands. The measurement moves
// it on when it starts; the data-file writer reads it for the comment line
// of a new file ("auto" in the first file of an automatic measurement) and
// moves it on once that is written.

namespace velrix {

enum class AutoStartState : int {
  Armed = 0,             // program start: the automatic start may fire once
  Starting = 1,          // the automatic start fired; the writer has not yet written "auto"
  Started = 2,           // the first file of the automatic measurement carries "auto"
  ManualAfterAuto = 9,   // a manual start followed; never automatic again in this run
};

}  // namespace velrix
