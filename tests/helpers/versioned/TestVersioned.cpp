// A program that only carries a version resource: the version comparison
// tests read it. Built several times with different file versions.
int main() { return 0; }
