// Placeholder definitions, replaced as the pieces are built.
#include <stdexcept>
#include "staging/text.h"

void SplitBars(std::string_view, std::vector<std::string_view>&) { throw std::logic_error("not built yet: SplitBars"); }
std::vector<std::string_view> SplitBars(std::string_view) { throw std::logic_error("not built yet: SplitBars"); }
std::string UpperLatin1(std::string_view) { throw std::logic_error("not built yet: UpperLatin1"); }
char UpperLatin1(char) { throw std::logic_error("not built yet: UpperLatin1"); }
char LowerLatin1(char) { throw std::logic_error("not built yet: LowerLatin1"); }
std::string_view TrimBlanks(std::string_view) { throw std::logic_error("not built yet: TrimBlanks"); }
std::string PrepareSqlText(std::string_view) { throw std::logic_error("not built yet: PrepareSqlText"); }
std::string PrepareLikeText(std::string_view) { throw std::logic_error("not built yet: PrepareLikeText"); }
double RoundValue(double, int) { throw std::logic_error("not built yet: RoundValue"); }
bool IsWholeNumber(std::string_view) { throw std::logic_error("not built yet: IsWholeNumber"); }
void ReportError(std::string_view, std::string_view, std::string_view, int) { throw std::logic_error("not built yet: ReportError"); }
