void sveltraWidgetsPlaceholder() {}
