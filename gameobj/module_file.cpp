#include "module_file.h"
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <elf.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
using Ehdr = ElfW(Ehdr);
using Phdr = ElfW(Phdr);
using Shdr = ElfW(Shdr);
using Dyn = ElfW(Dyn);

#if defined(__x86_64__)
const int HOST_MACHINE = EM_X86_64;
#elif defined(__aarch64__)
const int HOST_MACHINE = EM_AARCH64;
#elif defined(__i386__)
const int HOST_MACHINE = EM_386;
#elif defined(__arm__)
const int HOST_MACHINE = EM_ARM;
#elif defined(__riscv)
const int HOST_MACHINE = EM_RISCV;
#else
#error "the module check needs this machine's ELF number"
#endif
const unsigned char HOST_CLASS = sizeof(void *) == 8 ? ELFCLASS64 : ELFCLASS32;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
const unsigned char HOST_DATA = ELFDATA2LSB;
#else
const unsigned char HOST_DATA = ELFDATA2MSB;
#endif

// A table or range of the file: [offset, offset + count * entry) lies inside size,
// computed without overflow.
bool inside(uint64_t offset, uint64_t count, uint64_t entry, uint64_t size)
{
  if (offset > size)
    return false;
  if (entry && count > (size - offset) / entry)
    return false;
  return true;
}

bool read_at(int fd, void *dst, size_t n, uint64_t offset)
{
  size_t done = 0;
  while (done < n)
  {
    ssize_t r = pread(fd, (char *)dst + done, n - done, off_t(offset + done));
    if (r <= 0)
      return false;
    done += size_t(r);
  }
  return true;
}

// The checks after the identification; the reason is a literal.
const char *check_tables(int fd, const Ehdr &eh, uint64_t size)
{
  if (eh.e_type != ET_DYN)
    return "not a shared object";
  if (eh.e_machine != HOST_MACHINE)
    return "built for another machine";
  if (eh.e_version != EV_CURRENT || eh.e_ehsize != sizeof(Ehdr))
    return "unknown ELF version";
  if (eh.e_phnum == 0 || eh.e_phentsize != sizeof(Phdr))
    return "bad program header table";
  if (!inside(eh.e_phoff, eh.e_phnum, sizeof(Phdr), size))
    return "program header table outside the file";
  if (eh.e_shnum != 0)
  {
    if (eh.e_shentsize != sizeof(Shdr) || eh.e_shstrndx >= eh.e_shnum)
      return "bad section header table";
    if (!inside(eh.e_shoff, eh.e_shnum, sizeof(Shdr), size))
      return "section header table outside the file";
    for (int i = 0; i < eh.e_shnum; i++)
    {
      Shdr sh;
      if (!read_at(fd, &sh, sizeof(sh), eh.e_shoff + uint64_t(i) * sizeof(Shdr)))
        return "unreadable section header";
      if (sh.sh_type != SHT_NOBITS && sh.sh_type != SHT_NULL && !inside(sh.sh_offset, sh.sh_size, 1, size))
        return "section outside the file";
    }
  }

  Phdr *ph = (Phdr *)malloc(sizeof(Phdr) * eh.e_phnum);
  if (!ph || !read_at(fd, ph, sizeof(Phdr) * eh.e_phnum, eh.e_phoff))
  {
    free(ph);
    return "unreadable program header table";
  }
  const char *err = nullptr;
  int loads = 0;
  const Phdr *dynamic = nullptr;
  for (int i = 0; i < eh.e_phnum && !err; i++)
  {
    const Phdr &p = ph[i];
    if (p.p_type == PT_LOAD)
    {
      loads++;
      if (!inside(p.p_offset, p.p_filesz, 1, size) || p.p_filesz > p.p_memsz)
        err = "loaded segment outside the file";
      else if (p.p_align > 1 && (p.p_align & (p.p_align - 1)) != 0)
        err = "bad segment alignment";
      else if (p.p_vaddr > UINT64_MAX - p.p_memsz)
        err = "bad segment address";
    }
    else if (p.p_type == PT_DYNAMIC)
    {
      dynamic = &p;
      if (!inside(p.p_offset, p.p_filesz, 1, size))
        err = "dynamic table outside the file";
    }
  }
  if (!err && !loads)
    err = "nothing to load";
  if (!err && !dynamic)
    err = "no dynamic table";

  // Every address the loader follows from the dynamic table must fall into a segment.
  auto mapped = [&](uint64_t addr, uint64_t len) {
    for (int i = 0; i < eh.e_phnum; i++)
      if (ph[i].p_type == PT_LOAD && addr >= ph[i].p_vaddr && len <= ph[i].p_memsz &&
          addr - ph[i].p_vaddr <= ph[i].p_memsz - len)
        return true;
    return false;
  };
  if (!err)
  {
    size_t count = size_t(dynamic->p_filesz / sizeof(Dyn));
    Dyn *dyn = (Dyn *)malloc(sizeof(Dyn) * (count ? count : 1));
    if (!dyn || !read_at(fd, dyn, sizeof(Dyn) * count, dynamic->p_offset))
      err = "unreadable dynamic table";
    uint64_t strsz = 0, relasz = 0, relsz = 0, pltsz = 0;
    uint64_t strtab = 0, rela = 0, rel = 0, jmprel = 0;
    bool ended = false;
    for (size_t i = 0; !err && i < count && !ended; i++)
    {
      switch (dyn[i].d_tag)
      {
      case DT_NULL: ended = true; break;
      case DT_STRTAB: strtab = dyn[i].d_un.d_ptr; break;
      case DT_STRSZ: strsz = dyn[i].d_un.d_val; break;
      case DT_RELA: rela = dyn[i].d_un.d_ptr; break;
      case DT_RELASZ: relasz = dyn[i].d_un.d_val; break;
      case DT_REL: rel = dyn[i].d_un.d_ptr; break;
      case DT_RELSZ: relsz = dyn[i].d_un.d_val; break;
      case DT_JMPREL: jmprel = dyn[i].d_un.d_ptr; break;
      case DT_PLTRELSZ: pltsz = dyn[i].d_un.d_val; break;
      case DT_SYMTAB:
      case DT_HASH:
      case DT_GNU_HASH:
      case DT_INIT:
      case DT_FINI:
      case DT_INIT_ARRAY:
      case DT_FINI_ARRAY:
        if (!mapped(dyn[i].d_un.d_ptr, 1))
          err = "dynamic entry points outside the module";
        break;
      default: break;
      }
    }
    free(dyn);
    if (!err && !ended)
      err = "unterminated dynamic table";
    if (!err && (!strtab || !mapped(strtab, strsz ? strsz : 1)))
      err = "string table outside the module";
    if (!err && rela && !mapped(rela, relasz ? relasz : 1))
      err = "relocations outside the module";
    if (!err && rel && !mapped(rel, relsz ? relsz : 1))
      err = "relocations outside the module";
    if (!err && jmprel && !mapped(jmprel, pltsz ? pltsz : 1))
      err = "relocations outside the module";
  }
  free(ph);
  return err;
}
} // namespace

bool check_module_file(int fd, char *why, size_t size)
{
  auto fail = [&](const char *text) {
    if (why && size)
      snprintf(why, size, "%s", text);
    return false;
  };
  struct stat st;
  if (fstat(fd, &st) != 0)
    return fail("can't read the file");
  if (!S_ISREG(st.st_mode))
    return fail("not a regular file");
  Ehdr eh;
  if (uint64_t(st.st_size) < sizeof(eh) || !read_at(fd, &eh, sizeof(eh), 0))
    return fail("too short for an ELF header");
  if (memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0)
    return fail("not an ELF file");
  if (eh.e_ident[EI_CLASS] != HOST_CLASS)
    return fail("wrong ELF class");
  if (eh.e_ident[EI_DATA] != HOST_DATA)
    return fail("wrong byte order");
  if (eh.e_ident[EI_VERSION] != EV_CURRENT)
    return fail("unknown ELF version");
  if (const char *err = check_tables(fd, eh, uint64_t(st.st_size)))
    return fail(err);
  return true;
}
