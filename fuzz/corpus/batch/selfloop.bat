:goto :goto
