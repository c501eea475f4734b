#include "output/cut_list.h"

#include "frame/model_table.h"
#include "output/page_counters.h"

namespace output {

namespace {

frame::ModelFamily FamilyOf(const frame::PrivateDevmode& record) {
  return frame::FamilyOfRow(frame::ModelRow(record.modelName, frame::kPathChars));
}

// Cut every N labels, counting across the pages of the job.
void AddCutEveryN(CutList& list, bool first, bool last, std::int32_t copies,
                  std::uint32_t interval) {
  PageCounters& counters = ThePageCounters();
  const auto c = static_cast<std::uint32_t>(copies);
  counters.labelCount = first ? c : counters.labelCount + c;
  if (interval == 0) return;  // the settings should never allow it; cut nothing
  if (first && last) {
    if (c <= interval) {
      list.push_back({copies, copies});
      return;
    }
    const std::uint32_t q = c / interval;
    const std::uint32_t rest = c % interval;
    if (q > 0) {
      list.push_back(
          {static_cast<std::int32_t>(interval), static_cast<std::int32_t>(q * interval)});
    }
    if (rest != 0) {
      list.push_back({static_cast<std::int32_t>(rest), static_cast<std::int32_t>(rest)});
    }
  } else if (first) {
    list.push_back({static_cast<std::int32_t>(interval), copies});
  } else if (last) {
    const std::uint32_t r = counters.labelCount % interval;
    if (r == 0) return;
    if (static_cast<std::int16_t>(copies) <= static_cast<std::int16_t>(r)) {
      list.push_back({copies, copies});
    } else {
      list.push_back({kNoCut, copies - static_cast<std::int32_t>(r)});
      list.push_back({static_cast<std::int32_t>(r), static_cast<std::int32_t>(r)});
    }
  }
}

}  // namespace

bool UsesCutter(const frame::PrivateDevmode& record) {
  const int action = record.postPrintAction;
  if (FamilyOf(record) == frame::ModelFamily::kLT) return action == 4 || action == 5;
  return action == 5;
}

CutList BuildCutList(const frame::PrivateDevmode& record, std::int16_t dmCopies,
                     std::int16_t dmCollate, bool first, bool endOfJob) {
  CutList list;
  if (!UsesCutter(record)) return list;
  const std::int32_t copies = dmCopies;
  switch (record.cutMode) {
    case 0:  // after every label
      if (first) list.push_back({1, copies});
      break;
    case 1:  // after each page's copies
      if (first) {
        list.push_back(dmCollate == 1 ? CutPair{1, 1} : CutPair{copies, copies});
      }
      break;
    case 2:  // at the end of the job
      if (endOfJob) {
        list.push_back({copies, copies});
      } else if (first) {
        list.push_back({0, copies});
      }
      break;
    case 3:
      AddCutEveryN(list, first, endOfJob, copies, record.cutInterval);
      break;
    default:
      break;
  }
  return list;
}

}  // namespace output
