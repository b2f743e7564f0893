// Orelens: a free-flying viewer and editor for the saved worlds of Kelvane.
int main() { return 0; }
