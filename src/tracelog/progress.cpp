#include "tracelog/progress.hpp"

namespace quorvel::tracelog {

void AvanceProgression(HostForm* form, double dblPas) {
    if (form == nullptr) return;
    double value = form->ProgressValue();
    if (value > 100.0 - dblPas)
        form->SetProgressValue(100.0);
    else
        form->SetProgressValue(value + dblPas);
}

void MetProgression(HostForm* form, double value) {
    if (form != nullptr) form->SetProgressValue(value);
}

} // namespace quorvel::tracelog
