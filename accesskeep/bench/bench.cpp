// How ValidateUser and CreateUser cost grows with the users of the database. Each figure is set
// against a bare loop of as many GetPrivateProfileStringA calls as the operation makes on the same
// file, in the same run: the control reads every slot up to the user it looks for, so both grow
// with the number of users, and the ratio shows what the control adds on top of the profile
// functions themselves.
// Usage: accesskeep_bench LIBRARY_PATH WORK_FOLDER
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "client.h"

namespace {

using Clock = std::chrono::steady_clock;

bool WriteWhole(const std::string& path, const std::string& content) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  BOOL ok = WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &put, nullptr);
  CloseHandle(h);
  return ok && put == content.size();
}

// A database of `users` users "user1" ... as CreateUser leaves it, all with the password Secret1.
std::string Database(int users) {
  std::string text = "[Users]\r\ncount=" + std::to_string(users) + "\r\n";
  for (int i = 1; i <= users; ++i) text += std::to_string(i) + "=user" + std::to_string(i) + "\r\n";
  text += "[General]\r\nVersion=2\r\n";
  for (int i = 1; i <= users; ++i) text += "[user" + std::to_string(i) + "]\r\nPswd=329V119V84V315V119V350V455\r\n";
  return text;
}

// Wine's profile functions read a file again whole at every call while its last change is less
// than about two seconds old (the file time is too coarse to trust sooner). A database written a
// moment ago is dated back, so that the reads are measured as they go on a settled file.
void Settle(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
  t.QuadPart -= 60ull * 10000000ull;  // a minute ago
  FILETIME earlier{t.LowPart, t.HighPart};
  SetFileTime(h, nullptr, nullptr, &earlier);
  CloseHandle(h);
}

// Profile reads of one call: ValidateUser reads Version, count, every slot up to the user and the
// password; CreateUser reads count and every slot (then writes three keys).
int ReadsOfValidate(int users) { return users + 3; }
int ReadsOfCreate(int users) { return users + 1; }

// Seconds per call of `body`: the best of three rounds of `calls` calls each, after one call that
// is not counted (the first read of a file just written parses it whole). The best round is the
// one least disturbed by whatever else the machine does.
template <class Body>
double PerCall(int calls, Body&& body) {
  body();
  double best = 1e30;
  for (int round = 0; round < 3; ++round) {
    auto start = Clock::now();
    for (int i = 0; i < calls; ++i) body();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count() / calls);
  }
  return best;
}

// The same number of reads of the same file, slot after slot as the search reads them.
double BareReads(const std::string& file, int reads, int calls) {
  char buffer[512];
  return PerCall(calls, [&] {
    for (int i = 1; i <= reads; ++i)
      GetPrivateProfileStringA("Users", std::to_string(i).c_str(), file.c_str(), buffer, sizeof buffer, file.c_str());
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: accesskeep_bench LIBRARY_PATH WORK_FOLDER\n");
    return 2;
  }
  winapp::ComApartment com;
  accesskeep::AccessKeepClient control;
  if (FAILED(control.Create(argv[1]))) {
    std::fprintf(stderr, "cannot create the control from %s\n", argv[1]);
    return 1;
  }
  const std::string folder = argv[2];
  std::printf("%-8s %-13s %12s %12s %8s\n", "users", "operation", "per call ms", "bare ms", "ratio");
  double firstValidate = 0, firstCreate = 0;
  int firstUsers = 0;
  for (int users : {10, 1000, 10000}) {
    const std::string file = folder + "\\bench" + std::to_string(users) + ".dll";
    if (!WriteWhole(file, Database(users))) {
      std::fprintf(stderr, "cannot write %s\n", file.c_str());
      return 1;
    }
    Settle(file);
    const std::string last = "user" + std::to_string(users);
    // Few calls where one takes seconds: Wine reads a profile file in about 0.2 ms a key.
    const int calls = users <= 10 ? 50 : users <= 1000 ? 4 : 1;
    long status = -1;
    // The last user: ValidateUser reads every slot before it finds the name.
    double validate = PerCall(calls, [&] { control.ValidateUser(last, "Secret1", file, false, &status); });
    if (status != 0) std::fprintf(stderr, "ValidateUser answered %ld\n", status);
    double validateBare = BareReads(file, ReadsOfValidate(users), calls);
    int created = 0;
    double create = PerCall(calls, [&] {
      control.CreateUser("new" + std::to_string(++created), "Secret1", file, false, &status);
    });
    if (status != 0) std::fprintf(stderr, "CreateUser answered %ld\n", status);
    double createBare = BareReads(file, ReadsOfCreate(users), calls);
    std::printf("%-8d %-13s %12.3f %12.3f %8.2f\n", users, "ValidateUser", validate * 1e3, validateBare * 1e3,
                validate / validateBare);
    std::printf("%-8d %-13s %12.3f %12.3f %8.2f\n", users, "CreateUser", create * 1e3, createBare * 1e3,
                create / createBare);
    if (!firstUsers) {
      firstUsers = users;
      firstValidate = validate;
      firstCreate = create;
    } else {
      std::printf("%-8s growth from %d users: ValidateUser x%.0f, CreateUser x%.0f for x%d users\n", "", firstUsers,
                  validate / firstValidate, create / firstCreate, users / firstUsers);
    }
    DeleteFileA(file.c_str());
  }
  return 0;
}
