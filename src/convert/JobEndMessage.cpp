#include "convert/JobEndMessage.h"

namespace snipwave {

QString JobEndMessage(const JobReport& report) { return JobSummaryLines(report).join(QLatin1Char('\r')); }

}  // namespace snipwave
