#include "tools/efdgen/network.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "platform/files.h"
#include "tools/efdgen/efd_file.h"

namespace {

// Name of file `index` (0-based) of `count`: a zero-padded number first so
// that the names sort head office first.
std::string FileName(int index, int count, bool parts, const std::string& cnpj) {
  int width = 2;
  for (int n = count; n >= 100; n /= 10) ++width;
  std::string number = std::to_string(index + 1);
  number.insert(0, static_cast<size_t>(std::max(0, width - static_cast<int>(number.size()))), '0');
  if (parts) return number + "-parte-" + cnpj + ".txt";
  return number + (index == 0 ? "-matriz-" : "-filial-") + cnpj + ".txt";
}

}  // namespace

std::vector<std::string> WriteNetwork(const NetworkOptions& options, const std::string& dir) {
  if (options.establishments < 1 || options.establishments > 9999)
    throw std::invalid_argument("establishments must be between 1 and 9999");
  if (options.sameCnpjParts < 0) throw std::invalid_argument("sameCnpjParts must not be negative");
  if (options.establishmentsPerFile < 1) throw std::invalid_argument("establishmentsPerFile must be at least 1");
  if (options.commonCredits && options.cumulative)
    throw std::invalid_argument("commonCredits needs the non-cumulative regime");
  std::error_code ec;
  std::filesystem::create_directories(platform::PathFromUtf8(dir), ec);
  if (ec) throw std::runtime_error("cannot create folder " + dir + ": " + ec.message());

  const bool parts = options.sameCnpjParts > 0;
  const int perFile = parts ? 1 : options.establishmentsPerFile;
  const int files = parts ? options.sameCnpjParts : (options.establishments + perFile - 1) / perFile;
  const CompanyPlan company = PlanCompany(options);
  const int64_t perPlan = std::max<int64_t>(1, options.targetLines / (parts ? files : options.establishments));

  std::vector<std::string> paths;
  for (int i = 0; i < files; ++i) {
    FilePlan plan;
    plan.index = i;
    plan.establishment = parts ? 0 : i * perFile;
    plan.establishments = parts ? 1 : std::min(perFile, options.establishments - i * perFile);
    plan.targetLines = perPlan;
    plan.everyRecord = options.everyRecord;
    const std::string cnpj = company.Cnpj(plan.establishment);
    std::string path = platform::Utf8FromPath(platform::PathFromUtf8(dir) / FileName(i, files, parts, cnpj));
    WriteEfdFile(company, plan, path);
    paths.push_back(std::move(path));
  }
  return paths;
}
