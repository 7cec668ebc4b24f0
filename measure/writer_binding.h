#pragma once
// Binds the data file writer to a measurement: the writer sees the settings,
// clock and messages of the context, and stops the run through the failure
// stop. Built on the stack for each call, so it costs nothing to keep.

#include "datafile/data_file_writer.h"
#include "measure/measurement.h"

namespace velrix {

class WriterBinding final : public DataFileFailureStop {
 public:
  explicit WriterBinding(MeasurementContext& ctx)
      : ctx_(ctx),
        env_{ctx.station.settings, ctx.station.clock, ctx.station.messages,
             ctx.station.run.autoStartState, ctx.station.history.elapsedSeconds, *this} {}
  void StopMeasurementAfterFailure() override { velrix::StopMeasurementAfterFailure(ctx_); }
  const DataFileEnv& env() const { return env_; }

 private:
  MeasurementContext& ctx_;
  DataFileEnv env_;
};

}  // namespace velrix
