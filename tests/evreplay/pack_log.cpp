// Packs files for the archive tests, with libarchive:
//   pack_log gz|zip|tar.gz OUT FILE...
// gz holds one file as it is; zip and tar.gz hold each file by its name.
#include <archive.h>
#include <archive_entry.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: pack_log gz|zip|tar.gz OUT FILE...\n");
    return 2;
  }
  const std::string format = argv[1];
  archive* writing = archive_write_new();
  if (format == "gz") {
    archive_write_set_format_raw(writing);
    archive_write_add_filter_gzip(writing);
  } else if (format == "zip") {
    archive_write_set_format_zip(writing);
  } else if (format == "tar.gz") {
    archive_write_set_format_pax_restricted(writing);
    archive_write_add_filter_gzip(writing);
  } else {
    std::fprintf(stderr, "pack_log: unknown format %s\n", format.c_str());
    return 2;
  }
  if (archive_write_open_filename(writing, argv[2]) != ARCHIVE_OK) {
    std::fprintf(stderr, "pack_log: %s\n", archive_error_string(writing));
    return 1;
  }
  for (int i = 3; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const char* slash = std::strrchr(argv[i], '/');
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, slash != nullptr ? slash + 1 : argv[i]);
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_entry_set_size(entry, static_cast<la_int64_t>(data.size()));
    if (archive_write_header(writing, entry) != ARCHIVE_OK ||
        archive_write_data(writing, data.data(), data.size()) != static_cast<la_ssize_t>(data.size())) {
      std::fprintf(stderr, "pack_log: %s\n", archive_error_string(writing));
      return 1;
    }
    archive_entry_free(entry);
  }
  archive_write_close(writing);
  archive_write_free(writing);
  return 0;
}
