// A crash in the middle of replacing a file. The writing process is a traced child: the test
// stops it at the entry of a chosen system call of the replacement (the write of the content,
// the flush, the rename) and kills it there with SIGKILL, the way a crash or a power cut ends
// a program, with no chance to clean up. The earlier file must come through untouched.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <initializer_list>

#include "platform/file_replace_posix.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadAll;
using testing_support::TempDir;
using testing_support::WriteAll;

// How the traced child ended.
enum class Ending { KilledAtTheCall, FinishedWithoutTheCall, TracingFailed };

bool isOneOf(long nr, std::initializer_list<long> calls) {
  for (const long c : calls) {
    if (nr == c) return true;
  }
  return false;
}

// Forks a child that replaces `path` with `content`, and kills it on entering the first system
// call whose number is in `calls`.
Ending replaceAndKillAt(const QString& path, const QByteArray& content,
                        std::initializer_list<long> calls) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    ::raise(SIGSTOP);
    ::_exit(platform::replaceFileWhole(path, content) ? 1 : 0);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status)) return Ending::TracingFailed;
  ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
  int pendingSignal = 0;
  for (;;) {
    if (::ptrace(PTRACE_SYSCALL, pid, nullptr, pendingSignal) != 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return Ending::TracingFailed;
    }
    pendingSignal = 0;
    if (::waitpid(pid, &status, 0) != pid) return Ending::TracingFailed;
    if (WIFEXITED(status) || WIFSIGNALED(status)) return Ending::FinishedWithoutTheCall;
    if (!WIFSTOPPED(status)) continue;
    if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
      pendingSignal = WSTOPSIG(status);  // an ordinary signal: deliver it
      continue;
    }
    __ptrace_syscall_info info{};
    if (::ptrace(PTRACE_GET_SYSCALL_INFO, pid, sizeof info, &info) <= 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return Ending::TracingFailed;
    }
    if (info.op == PTRACE_SYSCALL_INFO_ENTRY && isOneOf(static_cast<long>(info.entry.nr), calls)) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? Ending::KilledAtTheCall
                                                                : Ending::TracingFailed;
    }
  }
}

const std::initializer_list<long> kRenameCalls = {
#ifdef SYS_rename
    SYS_rename,
#endif
    SYS_renameat, SYS_renameat2};

// Files beside the target that the interrupted replacement left.
QStringList leftovers(const QString& dir, const QString& target) {
  QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
  names.removeAll(target);
  return names;
}

QByteArray largeContent() {
  QByteArray content;
  for (int i = 0; content.size() < (4 << 20); ++i) content += QByteArray::number(i) + "\r\n";
  return content;
}

TEST(FileReplaceCrash, KilledBetweenWriteAndRenameLeavesTheEarlierFileIntact) {
  TempDir dir;
  const QString target = dir.file("comset.ini");
  WriteAll(target, "[ComSet]\r\nStyle=1\r\n");
  const QByteArray content = largeContent();

  ASSERT_EQ(replaceAndKillAt(target, content, kRenameCalls), Ending::KilledAtTheCall);

  EXPECT_EQ(ReadAll(target), "[ComSet]\r\nStyle=1\r\n");
  // The content had been written and flushed in full: the kill came just before the rename.
  const QStringList left = leftovers(dir.path(), "comset.ini");
  ASSERT_EQ(left.size(), 1);
  EXPECT_EQ(ReadAll(dir.file(left.front())), content);

  EXPECT_FALSE(platform::replaceFileWhole(target, "after\r\n")) << "a stray copy is no obstacle";
  EXPECT_EQ(ReadAll(target), "after\r\n");
}

TEST(FileReplaceCrash, KilledWhileWritingOrFlushingLeavesTheEarlierFileIntact) {
  for (const long call : {static_cast<long>(SYS_write), static_cast<long>(SYS_fsync)}) {
    SCOPED_TRACE(call == SYS_write ? "killed at write" : "killed at fsync");
    TempDir dir;
    const QString target = dir.file("default.sen");
    WriteAll(target, "2\r\n1,A,7F\r\n");

    ASSERT_EQ(replaceAndKillAt(target, largeContent(), {call}), Ending::KilledAtTheCall);

    EXPECT_EQ(ReadAll(target), "2\r\n1,A,7F\r\n");
    EXPECT_EQ(leftovers(dir.path(), "default.sen").size(), 1);
  }
}

TEST(FileReplaceCrash, UninterruptedReplacementLeavesOnlyTheNewFile) {
  TempDir dir;
  const QString target = dir.file("comset.ini");
  WriteAll(target, "old\r\n");
  const QByteArray content = largeContent();

  // No rename call is watched for, so the child runs to its end.
  ASSERT_EQ(replaceAndKillAt(target, content, {-1}), Ending::FinishedWithoutTheCall);

  EXPECT_EQ(ReadAll(target), content);
  EXPECT_TRUE(leftovers(dir.path(), "comset.ini").isEmpty());
}

}  // namespace
