// The SystemFile: sysfile binds a block of script memory to a file and reads
// it, sysio reads or writes it on demand, and the block is written back when
// the program ends.
// expect: files_sysfile: 18 checks, 0 failed
// file-after: save.dat saved-at-end
// file-after: old.dat old-content!
// result: 0
#include "natives.h"
#include "check.h"

char block[12];
char other[12];

int main()
{
	int f;
	char path[300];
	eq("sysio without a binding", sysio(0), 0);
	eq("sysio 1 without a binding", sysio(1), 0);
	eq("sysfile null name", sysfile(0, block, 12), 0);
	eq("sysfile null block", sysfile("x.dat", 0, 12), 0);
	eq("sysfile size 0", sysfile("x.dat", block, 0), 0);
	eq("still no binding", sysio(1), 0);
	eq("nothing written", file_check("x.dat"), 0);
	// an existing file is read into the block
	f = fopen("old.dat", "wb");
	fwrite("old-content!", 1, 12, f);
	fclose(f);
	memset(other, '-', 12);
	eq("sysfile existing", sysfile("old.dat", other, 12), 1);
	eqb("sysfile read", other, "old-content!", 12);
	// binding another file writes nothing back
	memcpy(other, "changed.....", 12);
	// the same retry in the Windows directory as fopen
	dir_getpath(36, path);
	strcat(path, "winsys.dat");
	f = fopen(path, "wb");
	fwrite("from-windows", 1, 12, f);
	fclose(f);
	eq("sysfile from the Windows directory", sysfile("winsys.dat", other, 12), 1);
	eqb("Windows directory read", other, "from-windows", 12);
	// a missing file is bound all the same
	memcpy(block, "first-value.", 12);
	eq("sysfile missing", sysfile("save.dat", block, 12), 0);
	eqb("block untouched", block, "first-value.", 12);
	eq("sysio read, no file yet", sysio(0), 0);
	eq("sysio write", sysio(1), 1);
	eq("written size", file_size("save.dat"), 12);
	memcpy(block, "xxxxxxxxxxxx", 12);
	eq("sysio read", sysio(0), 1);
	eqb("read back", block, "first-value.", 12);
	// the block is saved again at the end, with what it holds then
	memcpy(block, "saved-at-end", 12);
	return done("files_sysfile");
}
