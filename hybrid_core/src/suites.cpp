#include "valtorimesca/suite_code.hpp"

namespace valtorimesca::suites {

std::span<const uint8_t> label_of(SuiteCode code) noexcept {
  switch (code) {
    case SuiteCode::ED_ML_44: return label_bytes(kLabelEdMl44);
    case SuiteCode::ED_FN_512: return label_bytes(kLabelEdFn512);
    case SuiteCode::SR_ML_44: return label_bytes(kLabelSrMl44);
    case SuiteCode::SR_FN_512: return label_bytes(kLabelSrFn512);
    case SuiteCode::ED_SH: return label_bytes(kLabelEdSh);
    case SuiteCode::SR_SH: return label_bytes(kLabelSrSh);
  }
  return {};
}

}  // namespace valtorimesca::suites
