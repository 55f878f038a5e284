// Start-up is filled in by the application shell.
int main() { return 0; }
