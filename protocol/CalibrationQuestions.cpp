#include "protocol/CalibrationQuestions.h"

#include "protocol/CommandSet.h"

namespace orbel {

const char* CalibrationQuestion(int commandIndex) {
    static const char* const questions[] = {
        "Убедитесь в том что резервуар 1 опустошен не более 10% и нажмите YES",
        "Убедитесь в том что резервуар 1 заполнен не менее 90% и нажмите YES",
        "Убедитесь в том что резервуар 2 опустошен не более 10% и нажмите YES",
        "Убедитесь в том что резервуар 2 заполнен не менее 90% и нажмите YES",
    };
    return IsCalibrationCommand(commandIndex) ? questions[commandIndex - ciCalibrateC1Channel1]
                                              : "";
}

} // namespace orbel
