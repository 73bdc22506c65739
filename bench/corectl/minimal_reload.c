/* The smallest client that makes CoreCtl's call: connect to the core
 * service's pipe (on Linux, the abstract socket of that name), send the
 * 23-byte ReloadCore request, read the reply and print the outcome. The
 * yardstick for CoreCtl's start-up (bench/corectl/startup.sh). */
#include <stddef.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

static const char kPipe[] = "TevrinAV-Core-780863D5-5ABD-4b1a-AAF3-427AF74D4ECE";
static const unsigned char kRequest[] = {0x80, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x0A, 'R', 'e', 'l', 'o',
                                         'a',  'd',  'C',  'o',  'r',  'e',  0x00, 0x00, 0x00, 0x00, 0x00};
/* Header, name, sequence id, then field 0 (bool) and the stop byte. */
static const unsigned char kReplyStart[] = {0x80, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x0A, 'R', 'e', 'l', 'o', 'a',
                                            'd',  'C',  'o',  'r',  'e',  0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00};

int main(void) {
  printf("Reloading core: ");
  fflush(stdout);
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  struct sockaddr_un address;
  memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  memcpy(address.sun_path + 1, kPipe, sizeof kPipe - 1);
  socklen_t length = (socklen_t)(offsetof(struct sockaddr_un, sun_path) + 1 + sizeof kPipe - 1);
  if (fd < 0 || connect(fd, (struct sockaddr*)&address, length) != 0) {
    puts("Failed");
    return 255;
  }
  if (write(fd, kRequest, sizeof kRequest) != (ssize_t)sizeof kRequest) {
    puts("Failed");
    return 255;
  }
  unsigned char reply[sizeof kReplyStart + 2];
  size_t got = 0;
  while (got < sizeof reply) {
    ssize_t n = read(fd, reply + got, sizeof reply - got);
    if (n <= 0) break;
    got += (size_t)n;
  }
  close(fd);
  int ok = got == sizeof reply && memcmp(reply, kReplyStart, sizeof kReplyStart) == 0 && reply[sizeof kReplyStart] == 1;
  puts(ok ? "OK" : "Failed");
  return ok ? 0 : 255;
}
