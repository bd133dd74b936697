// The caret stands under the offending place with tabs widened to 4.
// status: 1
// error: diag_caret_tab.c(7) 12
// stderr-line:     int x$
// stderr-line:           ^
int main() {
	int x$
}
