# Installing the native Linux program and packaging it as a .deb (filled in with the install rules).
