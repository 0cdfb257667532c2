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
#include <vector>

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

// Seconds per call of `body` over `calls` calls.
template <class Body>
double Time(int calls, Body& body) {
  auto start = Clock::now();
  for (int i = 0; i < calls; ++i) body();
  return std::chrono::duration<double>(Clock::now() - start).count() / calls;
}

// An operation against its bare reads: 7 rounds of `calls` calls of each, one right after the
// other, after one call of each that is not counted (the first read of a file just written parses
// it whole). The ratio is the median of the rounds' ratios: each round's two sides met much the
// same machine, whose speed swings from one second to the next. Per call: the best round's.
struct Compared {
  double op = 1e30, bare = 1e30, ratio = 0;
};
template <class Op, class Bare>
Compared Compare(int calls, Op&& op, Bare&& bare) {
  op();
  bare();
  Compared c;
  std::vector<double> ratios;
  for (int round = 0; round < 7; ++round) {
    double a = Time(calls, op), b = Time(calls, bare);
    c.op = std::min(c.op, a);
    c.bare = std::min(c.bare, b);
    ratios.push_back(a / b);
  }
  std::sort(ratios.begin(), ratios.end());
  c.ratio = ratios[ratios.size() / 2];
  return c;
}

// The same, for an operation that writes the file: every write makes the next profile read parse
// the file again, so its bare reads cannot take turns with it. The best of 7 rounds of each, the
// operation's first.
template <class Op, class Bare>
Compared CompareWriting(int calls, Op&& op, Bare&& bare) {
  Compared c;
  op();
  for (int round = 0; round < 7; ++round) c.op = std::min(c.op, Time(calls, op));
  bare();
  for (int round = 0; round < 7; ++round) c.bare = std::min(c.bare, Time(calls, bare));
  c.ratio = c.op / c.bare;
  return c;
}

// The same number of reads of the same file, slot after slot as the search reads them.
auto BareReads(const std::string& file, int reads) {
  return [file, reads] {
    char buffer[512];
    for (int i = 1; i <= reads; ++i)
      GetPrivateProfileStringA("Users", std::to_string(i).c_str(), file.c_str(), buffer, sizeof buffer, file.c_str());
  };
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
    Compared validate = Compare(
        calls, [&] { control.ValidateUser(last, "Secret1", file, false, &status); },
        BareReads(file, ReadsOfValidate(users)));
    if (status != 0) std::fprintf(stderr, "ValidateUser answered %ld\n", status);
    int created = 0;
    Compared create = CompareWriting(
        calls, [&] { control.CreateUser("new" + std::to_string(++created), "Secret1", file, false, &status); },
        BareReads(file, ReadsOfCreate(users)));
    if (status != 0) std::fprintf(stderr, "CreateUser answered %ld\n", status);
    std::printf("%-8d %-13s %12.3f %12.3f %8.2f\n", users, "ValidateUser", validate.op * 1e3, validate.bare * 1e3,
                validate.ratio);
    std::printf("%-8d %-13s %12.3f %12.3f %8.2f\n", users, "CreateUser", create.op * 1e3, create.bare * 1e3,
                create.ratio);
    if (!firstUsers) {
      firstUsers = users;
      firstValidate = validate.op;
      firstCreate = create.op;
    } else {
      std::printf("%-8s growth from %d users: ValidateUser x%.0f, CreateUser x%.0f for x%d users\n", "", firstUsers,
                  validate.op / firstValidate, create.op / firstCreate, users / firstUsers);
    }
    DeleteFileA(file.c_str());
  }
  return 0;
}
