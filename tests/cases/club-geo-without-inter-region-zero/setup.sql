DELETE FROM Inter_Region WHERE Code = 0;
