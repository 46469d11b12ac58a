/* A library of the About library's name without its export. */
int scrivletAboutPlaceholder(void);
int scrivletAboutPlaceholder(void) {
    return 0;
}
