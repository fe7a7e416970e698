/* Writes the interoperability store (see Tree in CompoundFileTest.cpp) with libgsf, an
   independent implementation of the compound file format: gsf_writer PATH */
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#include <stdio.h>
#include <stdlib.h>

static int write_stream(GsfOutfile* parent, const char* name, unsigned size) {
  GsfOutput* child = gsf_outfile_new_child(parent, name, FALSE);
  guint8* bytes = malloc(size ? size : 1);
  for (unsigned i = 0; i < size; ++i) bytes[i] = (guint8)(i * 31 + size + (i >> 9));
  int good = child && (size == 0 || gsf_output_write(child, size, bytes)) && gsf_output_close(child);
  free(bytes);
  if (child) g_object_unref(child);
  return good;
}

static int close_storage(GsfOutfile* storage) {
  int good = gsf_output_close(GSF_OUTPUT(storage));
  g_object_unref(storage);
  return good;
}

int main(int argc, char** argv) {
  static const unsigned kSizes[] = {0, 1, 63, 64, 65, 4095, 4096, 4097, 70000, 7500000};
  static const guint8 kClass[16] = {0x44, 0x33, 0x22, 0x11, 0x66, 0x55, 0x88, 0x77, 1, 2, 3, 4, 5, 6, 7, 8};
  if (argc != 2) return 2;
  gsf_init();
  GsfOutput* file = gsf_output_stdio_new(argv[1], NULL);
  if (!file) return 1;
  GsfOutfile* root = gsf_outfile_msole_new(file);
  gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(root), kClass);
  int good = 1;
  for (size_t i = 0; i < sizeof kSizes / sizeof *kSizes; ++i) {
    char name[16];
    snprintf(name, sizeof name, "s%u", kSizes[i]);
    good = write_stream(root, name, kSizes[i]) && good;
  }
  GsfOutfile* inner = GSF_OUTFILE(gsf_outfile_new_child(root, "Inner", TRUE));
  good = write_stream(inner, "t100", 100) && good;
  GsfOutfile* deep = GSF_OUTFILE(gsf_outfile_new_child(inner, "Deep", TRUE));
  good = write_stream(deep, "Gr\303\274\303\237e", 5000) && close_storage(deep) && close_storage(inner) &&
         close_storage(root) && good;
  g_object_unref(file);
  gsf_shutdown();
  return good ? 0 : 1;
}
